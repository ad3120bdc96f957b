local s, c = "", 0
for i = 1, 200000 do
  s = s .. string.char(65 + i - (i // 26) * 26)
  if #s >= 200 then s = string.sub(s, -100) end
  c = c + string.byte(s, 1) + #s
end
print(c)
