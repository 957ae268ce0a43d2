// Gestalt as a page meets it: versions, fonts, preferences and the file and
// log services, with the errors a script catches. args[0] is an empty
// folder for the files; it prints as <folder>.
function line(inText) { Response.Write(inText + "\n"); }
function outcome(inCall) {
  try {
    return "ok " + inCall();
  } catch (theError) {
    return theError.number + " " + JSON.stringify(theError.description).split(args[0]).join("<folder>") + " " +
           theError.source;
  }
}

var gestalt = Server.CreateObject("Tessaline4.Gestalt.1");
line("Version " + gestalt.Version + ", QuickTime " + gestalt.QuickTime);

// The families a charset lists: the two the tests rely on, each counted,
// and the collection's members.
function fonts(inCharset) {
  if (inCharset !== undefined)
    gestalt.TextCharset = inCharset;
  var theFonts = gestalt.Fonts;
  var theCounts = {"DejaVu Sans": 0, "Liberation Sans": 0};
  var theWalked = 0;
  for (var e = new Enumerator(theFonts); !e.atEnd(); e.moveNext()) {
    ++theWalked;
    if (theCounts[e.item()] !== undefined)
      ++theCounts[e.item()];
  }
  line("Fonts " + gestalt.TextCharset + ": DejaVu Sans " + theCounts["DejaVu Sans"] + ", Liberation Sans " +
       theCounts["Liberation Sans"] + ", walked all " + (theWalked == theFonts.Count) + ", empty " +
       (theFonts.Count == 0));
  line("  Item(0) " + outcome(function() { return theFonts.Item(0) == theFonts.Item(1); }));
  line("  Item(Count + 1) " + outcome(function() { return theFonts.Item(theFonts.Count + 1); }));
}
fonts();
fonts("RUSSIAN");
fonts(7);
fonts("THAI");
line("TextCharset 134: " + (gestalt.TextCharset = 134, gestalt.TextCharset) + ", xyz: " +
     (gestalt.TextCharset = "xyz", gestalt.TextCharset));

line("LogErrors " + gestalt.LogErrors + ", MaxSize " + gestalt.MaxSize);
gestalt.LogErrors = "yes";
gestalt.MaxSize = "3000";
line("LogErrors " + gestalt.LogErrors + ", MaxSize " + gestalt.MaxSize);
line("LogErrors = maybe: " + outcome(function() { gestalt.LogErrors = "maybe"; }) + "; still " + gestalt.LogErrors);
line("MaxSize = abc: " + outcome(function() { gestalt.MaxSize = "abc"; }) + "; still " + gestalt.MaxSize);
gestalt.LogErrors = false;
gestalt.Log("100% %s %n\r\nnext");
gestalt.Log(new Array(2001).join("x"));

var bytes = new Uint8Array(256);
for (var i = 0; i < 256; ++i)
  bytes[i] = i;
gestalt.Save(args[0] + "/bytes", bytes);
var read = gestalt.Read(args[0] + "/bytes");
var same = read.length == 256;
for (var j = 0; same && j < 256; ++j)
  same = read[j] == j;
line("256 bytes back: " + same);
gestalt.Save(args[0] + "/empty", new Uint8Array(0));
line("empty file: length " + gestalt.Read(args[0] + "/empty").length);
line("Read missing: " + outcome(function() { return gestalt.Read(args[0] + "/missing"); }));
line("Save into missing folder: " + outcome(function() { gestalt.Save(args[0] + "/none/file", bytes); }));
line("Save a string: " + outcome(function() { gestalt.Save(args[0] + "/string", "text"); }));
line("Read of it: " + outcome(function() { return gestalt.Read(args[0] + "/string"); }));
line("Fonts by name: " + outcome(function() { return Server.CreateObject("Tessaline4.Fonts"); }));
line("Exporters by name: " + outcome(function() { return Server.CreateObject("Tessaline4.Exporters.1"); }));
