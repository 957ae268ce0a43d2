// Each refused value: the error a script catches, and the value kept.
function line(inText) { Response.Write(inText + "\n"); }

var canvas = Server.CreateObject("Tessaline4.Canvas");
function attempt(inName, inValue) {
  try {
    canvas[inName] = inValue;
    line(inName + " = " + inValue + ": kept " + canvas[inName]);
  } catch (theError) {
    line(inName + " = " + inValue + ": " + theError.number + " " + JSON.stringify(theError.description) + " " +
         theError.source + "; still " + canvas[inName]);
  }
}
attempt("Color", "notacolour");
attempt("PenSize", -1);
attempt("PenSize", 0);
attempt("TextSize", -1);
attempt("TextSize", 0);
attempt("Depth", "24");
attempt("Width", "abc");
attempt("HAlign", "sideways");
try {
  canvas.GetColor("1");
} catch (theError) {
  line("GetColor 1: " + theError.number + " " + JSON.stringify(theError.description) + " " + theError.source);
}
