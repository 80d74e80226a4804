#include "control/activex/type_library.h"

#include "control/activex/member_table.h"
#include "control/activex/vokapix.h"

namespace tw::activex {

namespace {

std::string TypeName(ValueType type) {
  switch (type) {
    case ValueType::kLong: return "long";
    case ValueType::kShort: return "short";
    case ValueType::kByte: return "unsigned char";
    case ValueType::kBool: return "VARIANT_BOOL";
    case ValueType::kText: return "BSTR";
    case ValueType::kNone: break;
  }
  return "void";
}

std::string ParameterList(std::span<const Parameter> parameters) {
  std::string list;
  for (const Parameter& p : parameters) {
    if (!list.empty()) list += ", ";
    list += (p.byRef ? "[in, out] " : "") + TypeName(p.type) + (p.byRef ? "* " : " ") + p.name;
  }
  return list;
}

std::string LibraryKey() {
  return "TypeLib\\" + com::GuidToString(LIBID_VOKAPIXControl) + "\\" + std::to_string(kVersionMajor) + "." +
         std::to_string(kVersionMinor);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> ServerKeyTrees() {
  return {com::ClassKey(CLSID_VOKAPIX), VOKAPIX_PROGID, "TypeLib\\" + com::GuidToString(LIBID_VOKAPIXControl),
          "Interface\\" + com::GuidToString(IID_IVOKAPIX), "Interface\\" + com::GuidToString(IID_IVOKAPIXEvents)};
}

std::vector<com::RegistryEntry> ServerEntries(const std::string& modulePath) {
  const std::string clsid = com::GuidToString(CLSID_VOKAPIX);
  const std::string libid = com::GuidToString(LIBID_VOKAPIXControl);
  const std::string version = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
  const std::string classKey = com::ClassKey(CLSID_VOKAPIX);
  const std::string library = LibraryKey();
  const std::string dispatchIid = com::GuidToString(IID_IVOKAPIX);
  const std::string eventsIid = com::GuidToString(IID_IVOKAPIXEvents);

  std::vector<com::RegistryEntry> entries = {
      {classKey, kClassHelp},
      {com::InprocServerKey(CLSID_VOKAPIX), modulePath},
      {com::InprocServerKey(CLSID_VOKAPIX) + "\\ThreadingModel", "Apartment"},
      {classKey + "\\ProgID", VOKAPIX_PROGID},
      {classKey + "\\TypeLib", libid},
      {classKey + "\\Version", version},
      {classKey + "\\Control", ""},
      {classKey + "\\MiscStatus", "0"},
      {classKey + "\\ToolboxBitmap32", modulePath + ",1"},
      {VOKAPIX_PROGID, kClassHelp},
      {com::ProgIdClassKey(VOKAPIX_PROGID), clsid},
      {"Interface\\" + dispatchIid, "IVOKAPIX"},
      {"Interface\\" + dispatchIid + "\\TypeLib", libid},
      {"Interface\\" + eventsIid, "IVOKAPIXEvents"},
      {"Interface\\" + eventsIid + "\\TypeLib", libid},
      {library, kLibraryHelp},
      {library + "\\0\\linux64", modulePath},
      {library + "\\FLAGS", "2"},  // a control's library
      {library + "\\HELPDIR", DirectoryOf(modulePath)},
      {library + "\\IVOKAPIX", dispatchIid + " dual, oleautomation, dispatchable: Dispatch interface for VOKAPIX Control"},
      {library + "\\IVOKAPIXEvents", eventsIid + " dispinterface: Events interface for VOKAPIX Control"},
      {library + "\\VOKAPIX", clsid + " creatable control: VOKAPIX Control; default IVOKAPIX, source IVOKAPIXEvents"},
  };
  int slot = 7;  // after IDispatch's entries
  for (const Member& member : Members()) {
    std::string text;
    if (member.kind == MemberKind::kProperty) {
      text = "property " + TypeName(member.type) + " " + member.name + (member.readOnly ? " (get)" : " (get, put)");
      if (member.hidden) text += " hidden";
      text += " slot " + std::to_string(slot);
      slot += member.readOnly ? 1 : 2;
    } else {
      text = "method " + TypeName(member.type) + " " + member.name + "(" + ParameterList(member.parameters) +
             ") slot " + std::to_string(slot);
      ++slot;
    }
    entries.push_back({library + "\\IVOKAPIX\\" + std::to_string(member.dispid), text});
  }
  for (const Event& event : Events()) {
    entries.push_back({library + "\\IVOKAPIXEvents\\" + std::to_string(event.dispid),
                       std::string("event ") + event.name + "(" + ParameterList(event.parameters) + ")"});
  }
  return entries;
}

}  // namespace tw::activex
