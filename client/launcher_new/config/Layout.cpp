#include "Layout.h"

#include <cstdio>

#include "FatalExit.h"
#include "LauncherText.h"
#include "tinyxml.h"

namespace LauncherCfg {

namespace {

void ReadString(const TiXmlElement* e, const char* name, std::string* field) {
  if (e == nullptr) return;
  if (const char* value = e->Attribute(name)) *field = value;
}

void ReadPoint(const TiXmlElement* e, const char* name, LayoutPoint* point) {
  if (e != nullptr) ParsePoint(e->Attribute(name), point);
}

void ReadRect(const TiXmlElement* e, const char* name, LayoutRect* rect) {
  if (e != nullptr) ParseRect(e->Attribute(name), rect);
}

const TiXmlElement* Child(const TiXmlElement* e, const char* name) {
  return e != nullptr ? e->FirstChildElement(name) : nullptr;
}

void ReadFont(const TiXmlElement* e, LayoutFont* font) {
  if (e == nullptr) return;
  // Only the height matters, so a size of one number still gives it.
  int height = 0, width = 0;
  const char* size = e->Attribute("size");
  int parsed = size != nullptr ? sscanf(size, "%d, %d", &height, &width) : 0;
  if (parsed >= 1) font->height = height;
  if (parsed == 2) font->width = width;
  ReadString(e, "style", &font->face);
  ParseColor(e->Attribute("color"), &font->color);
}

void ReadButtons(const TiXmlElement* button, std::vector<ButtonStyle>* buttons) {
  buttons->clear();
  for (const TiXmlElement* s = Child(button, "style"); s != nullptr; s = s->NextSiblingElement("style")) {
    ButtonStyle style;
    ReadString(s, "name", &style.name);
    ReadString(Child(s, "image"), "file", &style.imageFile);
    ReadRect(Child(s, "rect"), "value", &style.rect);
    ReadRect(Child(s, "rect1"), "value", &style.rect1);
    ReadString(Child(s, "tip"), "value", &style.tip);
    ReadString(Child(s, "href"), "value", &style.href);
    int ellipse = 0;
    const TiXmlElement* shape = Child(s, "Ellipse");
    if (const char* value = shape != nullptr ? shape->Attribute("value") : nullptr) sscanf(value, "%d", &ellipse);
    style.ellipse = ellipse != 0;
    buttons->push_back(style);
  }
}

void ReadBar(const TiXmlElement* e, ProgressBarLayout* bar) {
  ReadString(Child(e, "image"), "file", &bar->image);
  ReadPoint(Child(e, "position"), "value", &bar->position);
  ReadPoint(Child(e, "text"), "position", &bar->textPosition);
}

void ReadPopupButton(const TiXmlElement* e, const char* imageAttribute, PopupButton* button) {
  ReadString(e, imageAttribute, &button->image);
  ReadRect(e, "rect", &button->rect);
  ReadString(e, "tip", &button->tip);
}

void ReadRoot(const TiXmlElement* root, LauncherLayout* l) {
  const TiXmlElement* window = Child(root, "window");
  ReadString(window, "caption", &l->caption);
  ReadString(Child(window, "image"), "file", &l->image);
  ReadString(Child(window, "image2"), "file", &l->image2);
  ReadPoint(Child(window, "clientver"), "position", &l->clientVer);
  ReadPoint(Child(window, "serverver"), "position", &l->serverVer);
  ReadRect(Child(window, "refreshver"), "rect", &l->refreshVer);
  ReadRect(Child(window, "refreshtext"), "rect", &l->refreshText);
  ReadPoint(Child(window, "text"), "position", &l->text);
  ReadFont(Child(root, "font"), &l->font);
  ReadFont(Child(root, "font2"), &l->font2);
  ReadRect(Child(root, "selectcombo"), "rect", &l->selectCombo);
  ReadButtons(Child(root, "button"), &l->buttons);
  ReadBar(Child(root, "progressbar"), &l->progress);
  ReadBar(Child(root, "progressbar2"), &l->progress2);
  ReadRect(Child(Child(root, "browser"), "rect"), "value", &l->browser);
  const TiXmlElement* line = Child(root, "selectline");
  ReadString(Child(line, "image"), "file", &l->selectLineImage);
  const TiXmlElement* lineButtons = Child(line, "button");
  ReadPopupButton(Child(lineButtons, "exit"), "image", &l->lineExit);
  ReadPopupButton(Child(lineButtons, "auto"), "image", &l->lineAuto);
  ReadPopupButton(Child(lineButtons, "telecom"), "image", &l->lineTelecom);
  ReadPopupButton(Child(lineButtons, "netcom"), "image", &l->lineNetcom);
  const TiXmlElement* agreement = Child(root, "agreement");
  ReadString(Child(agreement, "image"), "file", &l->agreementImage);
  ReadString(Child(agreement, "browser"), "href", &l->agreementHref);
  ReadRect(Child(agreement, "browser"), "rect", &l->agreementRect);
  const TiXmlElement* agreeButtons = Child(agreement, "button");
  ReadPopupButton(Child(agreeButtons, "AgreeBtn"), "imagefile", &l->agreeButton);
  ReadPopupButton(Child(agreeButtons, "DisAgreeBtn"), "imagefile", &l->disagreeButton);
  ReadString(Child(root, "exename"), "path", &l->exeName);
  ReadString(Child(root, "setexename"), "path", &l->setExeName);
  ReadString(Child(root, "emergencyexename"), "path", &l->emergencyExeName);
}

}  // namespace

bool ParsePoint(const char* text, LayoutPoint* point) {
  LayoutPoint p;
  if (text == nullptr || sscanf(text, "%d, %d", &p.x, &p.y) != 2) return false;
  *point = p;
  return true;
}

bool ParseRect(const char* text, LayoutRect* rect) {
  LayoutRect r;
  if (text == nullptr || sscanf(text, "%d, %d, %d, %d", &r.left, &r.top, &r.right, &r.bottom) != 4) return false;
  *rect = r;
  return true;
}

bool ParseColor(const char* text, LayoutColor* color) {
  LayoutColor c;
  if (text == nullptr || sscanf(text, "%d, %d, %d", &c.red, &c.green, &c.blue) != 3) return false;
  *color = c;
  return true;
}

void ReadTextTable(const TiXmlDocument& doc, LauncherTextTable* table) {
  table->Clear();
  const TiXmlElement* strings = doc.FirstChildElement("string_use");
  int id = 0;
  for (const TiXmlElement* c = Child(strings, "char"); c != nullptr; c = c->NextSiblingElement("char")) {
    c->QueryIntAttribute("id", &id);  // no id: the id of the char before
    if (const char* value = c->Attribute("value")) table->Set(id, value);
  }
}

bool ReadLayout(const TiXmlDocument& doc, LauncherLayout* layout, LauncherTextTable* table) {
  const TiXmlElement* root = doc.FirstChildElement("root");
  if (doc.Error() || (root == nullptr && doc.FirstChildElement("string_use") == nullptr)) return false;
  if (root != nullptr) ReadRoot(root, layout);
  ReadTextTable(doc, table);
  return true;
}

bool ApplyLayoutOrExit(const TiXmlDocument& doc, HWND__* owner, LauncherLayout* layout) {
  if (ReadLayout(doc, layout, &GetLauncherTextTable())) return true;
  LayoutReadFailedExit(owner);
  return false;
}

}  // namespace LauncherCfg
