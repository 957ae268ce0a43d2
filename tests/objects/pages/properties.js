// A new canvas's properties, then a good value for each, read back by a
// second object made through the versioned ProgID.
function line(inText) { Response.Write(inText + "\n"); }

var kNames = ["Width", "Height", "Depth", "Color", "PaintColor", "PenColor", "TextColor", "PenSize", "TextFont",
              "TextSize", "TextStyle", "TextCharset", "HAlign", "VAlign", "Dither", "Pattern", "Image"];
function show(inCanvas) {
  for (var i = 0; i < kNames.length; ++i)
    line("  " + kNames[i] + "=" + inCanvas[kNames[i]]);
}

line("new");
show(Server.CreateObject("Tessaline4.Canvas"));

var canvas = Server.CreateObject("Tessaline4.Canvas.1");
var kGood = [["Width", 12], ["Depth", "thousands"], ["Color", "0,0,100,100"], ["PaintColor", "#00FF00"],
             ["PenColor", "100,0,100"], ["TextColor", "0,100,0,0"], ["PenSize", 5], ["TextFont", "DejaVu Sans"],
             ["TextSize", 0], ["TextStyle", "underline,BOLD"], ["TextCharset", "ansi"], ["HAlign", "middle"],
             ["VAlign", "bottom"], ["Dither", "true"], ["Pattern", 77]];
for (var j = 0; j < kGood.length; ++j)
  canvas[kGood[j][0]] = kGood[j][1];
line("set");
show(canvas);

canvas.TextFont = "NoSuchFace,DejaVu Sans";
line("font list " + canvas.TextFont);
