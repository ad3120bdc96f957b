-- Lua computes in double precision; the dialect in single precision, so the totals may differ a little.
local total = 0
for py = 0, 199 do
  for px = 0, 199 do
    local x0 = px * 3.0 / 200.0 - 2.0
    local y0 = py * 2.0 / 200.0 - 1.0
    local x, y, it = 0.0, 0.0, 0
    while it < 255 and x * x + y * y <= 4.0 do
      local xt = x * x - y * y + x0
      y = 2.0 * x * y + y0
      x = xt
      it = it + 1
    end
    total = total + it
  end
end
print(total)
