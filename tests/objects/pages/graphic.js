// Graphic as a script meets it. args: pairs of a file and its bytes in hex.
function line(inText) { Response.Write(inText + "\n"); }
function attempt(inWhat, inCall) {
  try {
    inCall();
    line(inWhat + ": no error");
  } catch (theError) {
    line(inWhat + ": " + theError.number + " " + theError.description + " " + theError.source);
  }
}
function bytes(inHex) {
  var theBytes = new Uint8Array(inHex.length / 2);
  for (var i = 0; i < theBytes.length; ++i)
    theBytes[i] = parseInt(inHex.substr(2 * i, 2), 16);
  return theBytes;
}
function image(inImage) {
  return [inImage.Depth, inImage.Resolution, inImage.ColorSpace, inImage.ColorProfile, inImage.Rectangle,
          typeof inImage.Width + " " + inImage.Width + "x" + inImage.Height].join(" ");
}
function describe(inGraphic) {
  var theText = "[" + inGraphic.Format + "] " + inGraphic.Count + " " + inGraphic.Drawable;
  var theWalk = new Enumerator(inGraphic);
  for (var i = 1; i <= inGraphic.Count; ++i, theWalk.moveNext()) {
    theText += "\n  " + image(inGraphic.Item(i));
    if (theWalk.atEnd() || theWalk.item().Rectangle != inGraphic.Item(i).Rectangle)
      theText += " (the enumerator differs)";
  }
  return theWalk.atEnd() ? theText : theText + " (the enumerator goes on)";
}

var graphic = Server.CreateObject("Tessaline4.Graphic");
line("new: " + describe(graphic) + ", ReadImages " + graphic.ReadImages + ", ReadIPTC " + graphic.ReadIPTC);
attempt("Item(1) of none", function () { graphic.Item(1); });
for (var a = 0; a + 1 < args.length; a += 2) {
  var theName = args[a].replace(/.*\//, "");
  graphic.SetFile(args[a]);
  line(theName + ": " + describe(graphic));
  graphic.SetData(bytes(args[a + 1]), theName.replace(/.*\./, ""));
  line(theName + " as data: " + describe(graphic));
}
graphic.SetFile(args[0]);
var kept = graphic.Item(graphic.Count);
attempt("Item(0)", function () { graphic.Item(0); });
attempt("Item(-1)", function () { graphic.Item(-1); });
attempt("Item(Count + 1)", function () { graphic.Item(graphic.Count + 1); });
attempt("SetData of a string", function () { graphic.SetData("abc", "png"); });
line("after it: " + describe(graphic));
graphic.ReadImages = "no";
graphic.ReadIPTC = "maybe";
line("ReadImages " + graphic.ReadImages + ", ReadIPTC " + graphic.ReadIPTC);
graphic.ReadIPTC = 1;
line("ReadIPTC " + graphic.ReadIPTC);
line("kept: " + image(kept));
