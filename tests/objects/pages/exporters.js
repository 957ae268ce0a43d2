// The QuickTime version, every item of GraphicsExporters one a line, then
// what the collection answers at its edges.
function line(inText) { Response.Write(inText + "\n"); }

var gestalt = Server.CreateObject("Tessaline4.Gestalt");
line("QuickTime " + gestalt.QuickTime);
var exporters = gestalt.GraphicsExporters;
for (var i = 1; i <= exporters.Count; ++i)
  line(exporters.Item(i));
var walked = 0;
for (var e = new Enumerator(exporters); !e.atEnd(); e.moveNext())
  ++walked;
line("walked " + walked + " of " + exporters.Count + ", Item(0) is Item(1): " +
     (exporters.Item(0) == exporters.Item(1)));
try {
  exporters.Item(exporters.Count + 1);
  line("past the end: no error");
} catch (theError) {
  line("past the end: " + theError.number + " " + theError.source);
}
