#pragma once
// One Settings object of the settings component, made by its ProgID
// "TLUtilities4.Settings" through the automation runtime and driven
// late-bound: properties are read and written through IDispatch by their
// lower-case names. The program makes a fresh one for each load, save and log
// read; every property goes to the registry at once, so each object sees the
// preferences as they are stored now.
//
// Texts are UTF-8. A number or switch read as text is its decimal text
// ("-1" for true), formatted by the runtime without regard to any locale; a
// text written to a number property is parsed the same way, and the object
// refuses one that is no number.

#include "platform/automation/Dispatch.h"

#include <optional>
#include <string>
#include <string_view>

class SettingsObject {
public:
  SettingsObject();

  // False when the component is not registered or cannot be loaded.
  bool Created() const { return static_cast<bool>(mObject); }

  // Nothing when the read failed.
  std::optional<std::string> GetText(std::string_view inName);
  std::optional<bool> GetSwitch(std::string_view inName);

  // False when the object refused the write.
  bool PutText(std::string_view inName, std::string_view inText);
  // Written as a 16-bit integer, 1 or 0.
  bool PutSwitch(std::string_view inName, bool inValue);

private:
  // The property's value, converted to inType; false when the read or the
  // conversion failed.
  bool Get(std::string_view inName, VARTYPE inType, Variant& outValue);
  bool Put(std::string_view inName, Variant& inValue);
  bool IdOf(std::string_view inName, DISPID& outId);

  ComPtr<IDispatch> mObject;
};
