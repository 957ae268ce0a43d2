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
line("as text " + thing);
var theCount = 0;
for (var i = 0; i < 2000; ++i)
  theCount += Server.CreateObject("TLTest.Thing").Items.Count;
line("made " + theCount);
