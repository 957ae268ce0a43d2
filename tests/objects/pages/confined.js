// Every road from a page to a file, tried inside the roots and out of them.
// args[0] holds root/ (the one root) and outside/, with links from the one
// to the other. Each line: the road, then "ok" (and what it read) or the
// error a script catches.
function line(inText) { Response.Write(inText + "\n"); }
var kRoot = args[0] + "/root/";
var kOutside = args[0] + "/outside/";

function attempt(inName, inRoad) {
  try {
    var theResult = inRoad();
    line(inName + ": ok" + (theResult === undefined ? "" : " " + theResult));
  } catch (theError) {
    var theText = String(theError.description);
    line(inName + ": " + (theText.indexOf("Access is denied.") >= 0 ? "Access is denied." : JSON.stringify(theText)));
  }
}

function canvas() {
  var theCanvas = Server.CreateObject("Tessaline4.Canvas");
  theCanvas.Width = 16;
  theCanvas.Height = 8;
  return theCanvas;
}
function describe(inPath) {
  var theGraphic = Server.CreateObject("Tessaline4.Graphic");
  theGraphic.SetFile(inPath);
  return theGraphic.Format + " " + theGraphic.Count;
}
function iptc(inPath) {
  var theIPTC = Server.CreateObject("Tessaline4.GraphicIPTC");
  theIPTC.SetFile(inPath);
  return theIPTC.Count;
}
var gestalt = Server.CreateObject("Tessaline4.Gestalt");

var kPlaces = [["inside", kRoot], ["outside", kOutside], ["through a link", kRoot + "away/"],
               ["up and out", kRoot + "../outside/"]];
for (var i = 0; i < kPlaces.length; ++i) {
  var theName = kPlaces[i][0], theFolder = kPlaces[i][1];
  line("-- " + theName);
  attempt("DrawFile png", function () { return canvas().DrawFile(theFolder + "picture.png", ""); });
  attempt("DrawFile jpg", function () { return canvas().DrawFile(theFolder + "picture.jpg", ""); });
  attempt("SaveAs png", function () { canvas().SaveAs(theFolder + "saved.png", ""); });
  attempt("SaveAs gif", function () { canvas().SaveAs(theFolder + "saved.gif", ""); });
  attempt("SaveAs jpg", function () { canvas().SaveAs(theFolder + "saved.jpg", ""); });
  attempt("Graphic.SetFile", function () { return describe(theFolder + "picture.png"); });
  attempt("GraphicIPTC.SetFile", function () { return iptc(theFolder + "picture.jpg"); });
  attempt("Gestalt.Read", function () { return gestalt.Read(theFolder + "secret.txt").length; });
  attempt("Gestalt.Save", function () { gestalt.Save(theFolder + "saved.txt", new Uint8Array([1, 2, 3])); });
  attempt("ReduceColors", function () { canvas().ReduceColors(theFolder + "palette.act", 16, false); });
}
line("-- a link in the root to a picture outside");
attempt("DrawFile", function () { return canvas().DrawFile(kRoot + "linked.png", ""); });
attempt("Graphic.SetFile", function () { return describe(kRoot + "linked.png"); });
line("-- ImageMagick's own prefixes name no file of their own");
attempt("DrawFile", function () { return canvas().DrawFile("png:" + kOutside + "picture.png", ""); });
attempt("Graphic.SetFile", function () { return describe("png:" + kOutside + "picture.png"); });
line("-- the library's own temporary file");
attempt("DrawData", function () { return canvas().DrawData(gestalt.Read(kRoot + "wide.jpg"), "", ""); });
line("-- the library's own log");
attempt("Gestalt.Read", function () { return gestalt.Read(args[0] + "/logs/SaveAs.log").length; });
