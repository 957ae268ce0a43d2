// Uses a page may make by mistake: each fails with an Error, none ends the host.
function line(inText) { Response.Write(inText + "\n"); }
function attempt(inLabel, inBody) {
  try {
    line(inLabel + " gave " + inBody());
  } catch (theError) {
    line(inLabel + " threw " + (theError.number >>> 0).toString(16) + " " + theError.description);
  }
}

var thing = Server.CreateObject("TLTest.Thing");
attempt("function argument", function () { return thing.Describe(thing.Echo); });
attempt("enumerator of a number", function () { return new Enumerator(5); });
attempt("enumerator of a non-collection", function () { return new Enumerator(thing); });
attempt("set a method", function () { thing.Measure = 3; return "no error"; });
attempt("too many arguments", function () { return thing.Bytes(1, 2); });
attempt("server refuses", function () { return thing.Bytes(-1); });
attempt("byte count too large", function () { return thing.Bytes(3000000000); });
attempt("no ProgID", function () { return Server.CreateObject(); });
attempt("ProgID with a backslash", function () { return Server.CreateObject("CLSID\\TLTest"); });
attempt("binary write of text", function () { return Response.BinaryWrite("text"); });
// Names too long to live inside a string object, when the call fails.
attempt("get an unknown member of a long name", function () { return thing.AMemberOfAVeryLongName; });
attempt("set an unknown member of a long name", function () { thing.AMemberOfAVeryLongName = 1; return "no error"; });
attempt("call a failing member by a long name", function () { return thing["Fail"]("a message that is long"); });
attempt("a header with a line break", function () { Response.AddHeader("X-A-Long-Header-Name", "a value\r\nand more"); return "no error"; });
attempt("map a long name outside the page root", function () { return Server.MapPath("../a-name-longer-than-fifteen"); });
line("as text " + thing);
var theCount = 0;
for (var i = 0; i < 2000; ++i)
  theCount += Server.CreateObject("TLTest.Thing").Items.Count;
line("made " + theCount);
