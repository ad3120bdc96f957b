local g = {}
for i = 0, 999 do g[i] = {} end
local s = 0
for r = 1, 10 do
  for i = 0, 999 do
    local row = g[i]
    for j = 0, 999 do row[j] = i + j + r end
  end
  for i = 0, 999 do
    local row = g[i]
    for j = 0, 999 do s = s + (row[j] & 127) end
  end
end
print(s)
