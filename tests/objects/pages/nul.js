// Strings that hold a NUL, as a page passes them: each refused with its
// words, and nothing drawn, read or written. args: a folder holding a blue
// picture good.gif.
function line(inText) { Response.Write(inText + "\n"); }
function attempt(inWhat, inCall) {
  try {
    inCall();
    line(inWhat + ": no error");
  } catch (theError) {
    line(inWhat + ": " + theError.number + " " + JSON.stringify(theError.description.split("\n")[0]) + " " +
         theError.source);
  }
}

var folder = args[0];
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Width = 20;
canvas.Height = 20;
attempt("DrawShape parameters",
        function () { canvas.DrawShape("rect", "rect=0,0,10,10\0 op=paint paintcolor=#FF0000"); });
attempt("DrawShape shape", function () { canvas.DrawShape("rect\0oval", "paintcolor=#FF0000"); });
attempt("DrawFile", function () { canvas.DrawFile(folder + "/good.gif\0.png", ""); });
attempt("SaveAs", function () { canvas.SaveAs(folder + "/out.gif\0.jpg", ""); });
attempt("Color", function () { canvas.Color = "#FF0000\0junk"; });
line("Color still " + canvas.Color + ", pixel " + canvas.GetColor("5,5"));

var gestalt = Server.CreateObject("Tessaline4.Gestalt");
attempt("Gestalt.Save", function () { gestalt.Save(folder + "/saved.txt\0.jpg", canvas.GetAs("gif", "")); });
var iptc = Server.CreateObject("Tessaline4.GraphicIPTC");
attempt("GraphicIPTC.SetFile", function () { iptc.SetFile(folder + "/good.gif\0.jpg"); });

attempt("DrawFile whole", function () { canvas.DrawFile(folder + "/good.gif", ""); });
line("pixel " + canvas.GetColor("5,5"));
