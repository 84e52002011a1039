#include "objects/object_editor.h"

namespace vorlane::objects {

void ObjectEditor::addLightAt(map::Map&, float, float, std::int32_t) {}
void ObjectEditor::addPivotAt(map::Map&, float, float, std::int32_t) {}
void ObjectEditor::deleteAt(map::Map&, const platform::Surface&, std::int32_t, std::int32_t) {}
void ObjectEditor::selectLight(const map::LightPtr&) {}
void ObjectEditor::selectPivot(const map::PivotPtr&) {}
void ObjectEditor::pickColour() {}
void ObjectEditor::browseLink() {}
void ObjectEditor::selectRecord(int) {}
void ObjectEditor::newRecord() {}
void ObjectEditor::deleteRecord() {}
void ObjectEditor::syncFields() {}
void ObjectEditor::clear() {}

}  // namespace vorlane::objects
