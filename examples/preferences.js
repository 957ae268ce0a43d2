// Lists the Tessaline preferences through the settings component, and sets one.
//
//   tlscript examples/preferences.js                  lists every preference
//   tlscript examples/preferences.js MaxSize 3000     sets one, then shows it again
//
// Names match without regard to case. Switches take true or false (also yes,
// no, on, off, 1, 0), numbers a whole number, the two folders any text. The
// value is read back: one that did not take ends the page with status 1.

var kPreferences = [
  { name: "QuickTime", kind: "report" },
  { name: "LogErrors", kind: "switch" },
  { name: "MaxSize", kind: "number" },
  { name: "EnableImpersonation", kind: "switch" },
  { name: "AutoRecover", kind: "switch" },
  { name: "IJLImport", kind: "switch" },
  { name: "IJLExport", kind: "switch" },
  { name: "IMImport", kind: "switch" },
  { name: "IMExport", kind: "switch" },
  { name: "IMInfo", kind: "switch" },
  { name: "QTLoad", kind: "switch" },
  { name: "QTUnload", kind: "switch" },
  { name: "QTUnloadPeriod", kind: "number" },
  { name: "QTImport", kind: "switch" },
  { name: "QTExport", kind: "switch" },
  { name: "QTInfo", kind: "switch" },
  { name: "QTMemoryIP", kind: "switch" },
  { name: "QTMemoryOP", kind: "switch" },
  { name: "QTImportMovies", kind: "switch" },
  { name: "QTImportMPEG", kind: "switch" },
  { name: "QTInfoMovies", kind: "switch" },
  { name: "IPLTransform", kind: "switch" },
  { name: "LogOperations", kind: "switch" },
  { name: "MaxOperationTime", kind: "number" },
  { name: "LogDirectory", kind: "folder" },
  { name: "LogMaxFileSize", kind: "number" },
  { name: "LittleCMS", kind: "switch" },
  { name: "ColorProfileDirectory", kind: "folder" }
];

// Ends the page with "preferences.js: <text>" on the standard error stream.
function fail(inText) {
  throw { source: "preferences.js", description: inText };
}

function findPreference(inName) {
  for (var i = 0; i < kPreferences.length; ++i)
    if (kPreferences[i].name.toLowerCase() === inName.toLowerCase())
      return kPreferences[i];
  var theNames = [];
  for (var j = 0; j < kPreferences.length; ++j)
    theNames.push(kPreferences[j].name);
  fail("there is no preference \"" + inName + "\". The preferences are " + theNames.join(", ") + ".");
}

// The value to store, from the command line's text.
function valueFor(inPreference, inText) {
  switch (inPreference.kind) {
  case "report":
    fail(inPreference.name + " reports the QuickTime installation and cannot be set.");
  case "switch":
    if (/^(true|yes|on|1)$/i.test(inText))
      return true;
    if (/^(false|no|off|0)$/i.test(inText))
      return false;
    fail(inPreference.name + " is a switch: give true or false, not \"" + inText + "\".");
  case "number":
    var theNumber = Number(inText);
    if (!/^[+-]?[0-9]+$/.test(inText) || theNumber < -2147483648 || theNumber > 2147483647)
      fail(inPreference.name + " needs a whole number from -2147483648 to 2147483647, not \"" + inText + "\".");
    return theNumber;
  default:
    return inText;
  }
}

// Whether the value read back is the one set. A folder reads back with a
// final "/" and each %NAME% expanded; an empty one reads as its default.
function readsAsSet(inPreference, inSet, inRead) {
  if (inPreference.kind !== "folder")
    return inRead === inSet;
  if (inSet === "")
    return true;
  var theFolder = function (inText) { return String(inText).replace(/\/$/, ""); };
  var thePattern = theFolder(inSet).replace(/[.*+?^${}()|[\]\\\/]/g, "\\$&").replace(/%[^%]*%/g, "[\\s\\S]*");
  return new RegExp("^" + thePattern + "$").test(theFolder(inRead));
}

function line(inPreference, inValue) {
  var theName = inPreference.name;
  while (theName.length < 24)
    theName += " ";
  var theText = String(inValue);
  Response.Write("  " + theName + (theText === "" ? "(empty)" : theText) + "\n");
}

if (args.length !== 0 && args.length !== 2)
  fail("give no arguments to list the preferences, or a name and a value to set one (MaxSize 3000).");
var theChange = null;
if (args.length === 2) {
  var thePreference = findPreference(args[0]);
  theChange = { preference: thePreference, value: valueFor(thePreference, args[1]) };
}

var settings = Server.CreateObject("TLUtilities4.Settings");
Response.Write("Tessaline preferences\n");
for (var i = 0; i < kPreferences.length; ++i)
  line(kPreferences[i], settings[kPreferences[i].name]);

if (theChange) {
  var theName = theChange.preference.name;
  try {
    settings[theName] = theChange.value;
  } catch (theError) {
    fail("cannot set " + theName + ": " + theError.description);
  }
  var theRead = settings[theName];
  if (!readsAsSet(theChange.preference, theChange.value, theRead))
    fail(theName + " was not stored: it still reads \"" + theRead + "\" (is the store read-only?)");
  Response.Write("\nSet " + theName + " to " + theChange.value + ".\n");
  line(theChange.preference, theRead);
}
