local n = 2000000
local f = {}
for i = 0, n do f[i] = 0 end
local c = 0
for i = 2, n do
  if f[i] == 0 then
    c = c + 1
    if i <= 1414 then
      for j = i * i, n, i do f[j] = 1 end
    end
  end
end
print(c)
