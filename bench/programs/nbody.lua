-- The classic five-body simulation, 200,000 steps; prints the energy before and after.
local PI = 3.141592653589793
local SOLAR_MASS = 4 * PI * PI
local DAYS = 365.24
local x  = {0, 4.84143144246472090e+00, 8.34336671824457987e+00, 1.28943695621391310e+01, 1.53796971148509165e+01}
local y  = {0, -1.16032004402742839e+00, 4.12479856412430479e+00, -1.51111514016986312e+01, -2.59193146099879641e+01}
local z  = {0, -1.03622044471123109e-01, -4.03523417114321381e-01, -2.23307578892655734e-01, 1.79258772950371181e-01}
local vx = {0, 1.66007664274403694e-03, -2.76742510726862411e-03, 2.96460137564761618e-03, 2.68067772490389322e-03}
local vy = {0, 7.69901118419740425e-03, 4.99852801234917238e-03, 2.37847173959480950e-03, 1.62824170038242295e-03}
local vz = {0, -6.90460016972063023e-05, 2.30417297573763929e-05, -2.96589568540237556e-05, -9.51592254519715870e-05}
local m  = {1, 9.54791938424326609e-04, 2.85885980666130812e-04, 4.36624404335156298e-05, 5.15138902046611451e-05}
for i = 1, 5 do vx[i] = vx[i] * DAYS; vy[i] = vy[i] * DAYS; vz[i] = vz[i] * DAYS; m[i] = m[i] * SOLAR_MASS end
local px, py, pz = 0, 0, 0
for i = 1, 5 do px = px + vx[i] * m[i]; py = py + vy[i] * m[i]; pz = pz + vz[i] * m[i] end
vx[1] = -px / SOLAR_MASS; vy[1] = -py / SOLAR_MASS; vz[1] = -pz / SOLAR_MASS
local function energy()
  local e = 0
  for i = 1, 5 do
    e = e + 0.5 * m[i] * (vx[i] * vx[i] + vy[i] * vy[i] + vz[i] * vz[i])
    for j = i + 1, 5 do
      local dx, dy, dz = x[i] - x[j], y[i] - y[j], z[i] - z[j]
      e = e - m[i] * m[j] / math.sqrt(dx * dx + dy * dy + dz * dz)
    end
  end
  return e
end
print(string.format("%g", energy()))
local dt = 0.01
for step = 1, 200000 do
  for i = 1, 5 do
    for j = i + 1, 5 do
      local dx, dy, dz = x[i] - x[j], y[i] - y[j], z[i] - z[j]
      local d2 = dx * dx + dy * dy + dz * dz
      local mag = dt / (d2 * math.sqrt(d2))
      vx[i] = vx[i] - dx * m[j] * mag; vy[i] = vy[i] - dy * m[j] * mag; vz[i] = vz[i] - dz * m[j] * mag
      vx[j] = vx[j] + dx * m[i] * mag; vy[j] = vy[j] + dy * m[i] * mag; vz[j] = vz[j] + dz * m[i] * mag
    end
  end
  for i = 1, 5 do x[i] = x[i] + dt * vx[i]; y[i] = y[i] + dt * vy[i]; z[i] = z[i] + dt * vz[i] end
end
print(string.format("%g", energy()))
