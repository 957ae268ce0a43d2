// GraphicIPTC as a script meets it. args: a JPEG with the test's datasets,
// a Photoshop file with other datasets, a missing file, an empty file.
function line(inText) { Response.Write(inText + "\n"); }
function attempt(inWhat, inCall) {
  try {
    inCall();
    line(inWhat + ": no error");
  } catch (theError) {
    line(inWhat + ": " + theError.number + " " + theError.description + " " + theError.source);
  }
}
function describe(inItem) {
  var theData = inItem.Data === undefined ? "none" : JSON.stringify(String.fromCharCode.apply(null, inItem.Data));
  return inItem.DataSet + " " + inItem.Record + " [" + inItem.Name + "] " + JSON.stringify(inItem.Text) + " " + theData;
}
function list(inIPTC) {
  line("Count " + inIPTC.Count);
  for (var theItems = new Enumerator(inIPTC); !theItems.atEnd(); theItems.moveNext())
    line("  " + describe(theItems.item()));
}

var iptc = Server.CreateObject("Tessaline4.GraphicIPTC");
list(iptc);
attempt("Item(1)", function () { iptc.Item(1); });
attempt("Item(0)", function () { iptc.Item(0); });
attempt("Item(-1)", function () { iptc.Item(-1); });

iptc.SetFile(args[0]);
list(iptc);
line("Item(1): " + describe(iptc.Item(1)));
line("Item(Count): " + describe(iptc.Item(iptc.Count)));
attempt("Item(Count + 1)", function () { iptc.Item(iptc.Count + 1); });
var caption = iptc.Item(2);

attempt("SetFile missing", function () { iptc.SetFile(args[2]); });
attempt("SetFile empty", function () { iptc.SetFile(args[3]); });
attempt("SetData text", function () { iptc.SetData("abc"); });
line("after the failures: Count " + iptc.Count);

iptc.SetFile(args[1]);
list(iptc);
line("the caption kept: " + describe(caption));
