// One canvas drawn onto another and used as an intensity map, through the
// Canvas methods: the rectangles and colours they give, and each refusal's
// words with the first words of its context.
function line(inText) { Response.Write(inText + "\n"); }

function attempt(inName, inCall) {
  try {
    line(inName + ": " + inCall());
  } catch (theError) {
    var parts = theError.description.split("\n\n\n");
    line(inName + ": " + theError.number + " " + JSON.stringify(parts[0]) + " in " +
         JSON.stringify(parts[1].split(" Canvas=")[0].split(" Image")[0]));
  }
}

var red = Server.CreateObject("Tessaline4.Canvas");
red.Width = 40;
red.Height = 30;
red.Color = "#FF0000";
red.Erase();

var target = Server.CreateObject("Tessaline4.Canvas");
attempt("empty target", function () {
  return target.DrawCanvas(red.Image, "") + " size " + target.Width + "x" + target.Height;
});
target.Width = 100;
target.Color = "#FFFFFF";
target.Erase();
attempt("placed", function () { return target.DrawCanvas(red.Image, "rect=60,0,80,10"); });
line("colours " + target.GetColor("70,5") + " / " + target.GetColor("50,5"));
attempt("forged", function () { return target.DrawCanvas(12345, "rect=0,0,10,10"); });
attempt("null", function () { return target.DrawCanvas(0, ""); });

var grey = Server.CreateObject("Tessaline4.Canvas");
grey.Width = 10;
grey.Height = 10;
grey.Color = "#808080";
grey.Erase();
attempt("alpha", function () { target.SetChannel("alpha", grey.Image); return target.GetColor("70,5"); });
attempt("cyan", function () { target.SetChannel("cyan", grey.Image); return "written"; });
line("still " + target.GetColor("70,5"));
grey.Clear();
attempt("stale", function () { target.SetChannel("red", grey.Image); return "written"; });
