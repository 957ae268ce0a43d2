// Selection, colour reduction and information as a script meets them: texts,
// byte arrays and nothing back, and the messages of refused arguments.
// args[0] is a palette file of red and white.
function line(inText) { Response.Write(inText + "\n"); }
function attempt(inLabel, inCall) {
  try {
    line(inLabel + ": " + inCall());
  } catch (theError) {
    line(inLabel + ": " + theError.number + " " + JSON.stringify(theError.description.split("\n")[0]));
  }
}
function first(inBytes, inCount) {
  var theItems = [];
  for (var i = 0; i < inCount; ++i)
    theItems.push(inBytes[i]);
  return theItems.join(",");
}
// White, with one red pixel at (5,0) left by growing the canvas in red.
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Width = 5;
canvas.Height = 1;
canvas.Color = "#FF0000";
canvas.Width = 6;
canvas.Color = "#FFFFFF";
canvas.Height = 20;
canvas.Width = 20;

attempt("select red", function () {
  canvas.Select("color", "keycolor=#FF0000 tolerance=1");
  return canvas.GetInfo("selectionrect") + ", alpha there " + canvas.GetColor("5,0");
});
attempt("select sideways", function () { canvas.Select("sideways", ""); });
attempt("palette on 32 bits", function () { return canvas.GetInfo("palette").length; });
attempt("nonsense", function () { return typeof canvas.GetInfo("nonsense"); });
attempt("colours many", function () { canvas.ReduceColors("adaptive", "many", "true"); });
attempt("dither perhaps", function () { canvas.ReduceColors("adaptive", "16", "perhaps"); });
attempt("2 bytes", function () { canvas.ReduceColors(new Uint8Array([1, 2]), "16", "true"); });
attempt("missing file", function () { canvas.ReduceColors(args[0] + ".missing", "16", "true"); });
attempt("palette file", function () {
  canvas.ReduceColors(args[0], "16", "yes");
  var thePalette = canvas.GetInfo("palette");
  return canvas.Depth + ", " + thePalette.length + " bytes from " + first(thePalette, 6) + ", red " +
         canvas.GetColor("5,0");
});
attempt("bytes", function () {
  canvas.ReduceColors(new Uint8Array([0, 0, 255, 0, 255, 255, 255, 255]), "2", "0");
  return first(canvas.GetInfo("palette"), 7) + ", white " + canvas.GetColor("0,0") + ", red " +
         canvas.GetColor("5,0");
});
