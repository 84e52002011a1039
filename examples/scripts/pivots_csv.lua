-- Lists every record of every pivot of a project as CSV on standard output.
--   vorlane-tool run pivots_csv.lua PROJECT > records.csv
-- In the editor (File > Run Script...) it lists the open map's records on the console.
local path = arg[1]
local source = path and vorlane.load(path) or vorlane.map
if not source then error("usage: pivots_csv.lua PROJECT", 0) end

-- Quoted when needed, doubling quotes inside.
local function field(text)
  text = tostring(text)
  if text:find('[,"\r\n]') then return '"' .. text:gsub('"', '""') .. '"' end
  return text
end

local function row(...)
  local fields = {}
  for i = 1, select("#", ...) do fields[i] = field(select(i, ...)) end
  print(table.concat(fields, ","))
end

row("pivot", "x", "y", "layer", "link", "name", "value")
for index, pivot in ipairs(source:pivots()) do
  for _, record in ipairs(pivot:records()) do
    row(index - 1, pivot.x, pivot.y, pivot.layer, pivot.link, record.name, record.value)
  end
end
