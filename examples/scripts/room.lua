-- A room: floor everywhere, walls (shadow casters) around the edge, a light in each inner
-- corner; saves the room and its bake.
--   vorlane-tool run room.lua FLOOR_IMAGE WALL_IMAGE OUT [COLUMNS ROWS TILE_SIZE]
-- writes OUT.vorl (the room) and OUT-lit.vorl (the baked map).
-- In the editor (File > Run Script...) it makes the open map a room: the tile at its cell
-- (0, 0) of layer 0 becomes the floor, the one at (0, 0) of the top layer the walls.
if not arg[1] and vorlane.map then
  local m = vorlane.map
  local top = m.depth - 1
  local floor, wall = m:cell(0, 0, 0), m:cell(0, 0, top)
  if floor then m:fillLayer(0, floor) end
  local right, bottom = m.width - 1, m.height - 1
  if wall then
    wall.castShadows = true
    m:line(0, 0, right, 0, top, wall)
    m:line(0, bottom, right, bottom, top, wall)
    m:line(0, 0, 0, bottom, top, wall)
    m:line(right, 0, right, bottom, top, wall)
  end
  for _, corner in ipairs{{1, 1}, {right - 1, 1}, {1, bottom - 1}, {right - 1, bottom - 1}} do
    m:addLight{x = (corner[1] + 0.5) * m.tileWidth, y = (corner[2] + 0.5) * m.tileHeight, layer = top,
               red = 255, green = 220, blue = 180, range = 8 * m.tileWidth, castShadows = true}
  end
  print(("the open map is a %dx%d room with 4 lights"):format(m.width, m.height))
  return
end
local floorImage, wallImage, out = arg[1], arg[2], arg[3]
if not out then error("usage: room.lua FLOOR_IMAGE WALL_IMAGE OUT [COLUMNS ROWS TILE_SIZE]", 0) end
local columns = math.tointeger(tonumber(arg[4] or 12))
local rows = math.tointeger(tonumber(arg[5] or 8))
local size = math.tointeger(tonumber(arg[6] or 32))

local floor = vorlane.loadTile(floorImage)
local wall = vorlane.loadTile(wallImage)
wall.castShadows = true
wall.collider = true

local room = vorlane.newMap(columns, rows, 2, size, size)
room:fillLayer(0, floor)
local right, bottom = columns - 1, rows - 1
room:line(0, 0, right, 0, 1, wall)
room:line(0, bottom, right, bottom, 1, wall)
room:line(0, 0, 0, bottom, 1, wall)
room:line(right, 0, right, bottom, 1, wall)

-- Lights sit in the middle of the first floor cell inside each corner.
for _, corner in ipairs{{1, 1}, {right - 1, 1}, {1, bottom - 1}, {right - 1, bottom - 1}} do
  room:addLight{x = (corner[1] + 0.5) * size, y = (corner[2] + 0.5) * size, layer = 1,
                red = 255, green = 220, blue = 180, range = 8 * size, castShadows = true}
end

vorlane.save(out, room)
local lit = room:render{width = 256, height = 256, soft = true}
vorlane.export(out .. "-lit", lit)
print(("room %dx%d with %d lights baked into %s-lit.vorl"):format(columns, rows, #room:lights(), out))
