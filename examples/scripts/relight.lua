-- Bakes every project of a folder again at one resolution, into another folder.
--   vorlane-tool run relight.lua IN_FOLDER OUT_FOLDER [RESOLUTION [soft]]
-- Each IN_FOLDER/NAME.vorl becomes OUT_FOLDER/NAME.vorl, the lit map alone.
-- In the editor (File > Run Script...) the open map becomes its bake at 256 x 256 (Undo takes it back).
local input, output = arg[1], arg[2]
if not output and vorlane.map then
  vorlane.map = vorlane.map:render{width = 256, height = 256}
  print("the open map relit at 256x256")
  return
end
if not output then error("usage: relight.lua IN_FOLDER OUT_FOLDER [RESOLUTION [soft]]", 0) end
local resolution = math.tointeger(tonumber(arg[3] or 256))
local soft = arg[4] == "soft"

local count = 0
for _, name in ipairs(vorlane.files(input)) do
  if name:match("%.vorl$") then
    local map = vorlane.load(input .. "/" .. name)
    local lit = map:render{width = resolution, height = resolution, soft = soft}
    vorlane.export(output .. "/" .. name, lit)
    print(name)
    count = count + 1
  end
end
print(("%d projects relit at %dx%d"):format(count, resolution, resolution))
