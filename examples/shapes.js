// A sheet of shapes and text, drawn on one canvas through both of its roads:
// GDI in the left half, OpenGL (opengl=true, on 32-bit canvases) in the right.
//
//   tlscript examples/shapes.js
//
// It prints what each call answers (the rectangle drawn, the area text takes,
// how many characters fit) and, last, the sheet's image number, which another
// canvas can take as its Pattern.

function line(inText) { Response.Write(inText + "\n"); }

var sheet = Server.CreateObject("Tessaline4.Canvas");
sheet.Width = 760;
sheet.Height = 600;
sheet.TextFont = "DejaVu Sans";
sheet.TextSize = 12;

// A 16 x 16 tile for the pattern fills: a red dot on cream.
var tile = Server.CreateObject("Tessaline4.Canvas");
tile.Width = 16;
tile.Height = 16;
tile.Color = "#FFE8B0";
tile.Erase();
tile.DrawShape("oval", "rect=3,3,13,13 op=paint paintcolor=#D04020");
sheet.Pattern = tile.Image;

function draw(inShape, inParams) {
  line(inShape + " " + inParams + " -> " + sheet.DrawShape(inShape, inParams));
}

// Five shapes in a row of one half, 70 units apart, with the given keywords.
function row(inLeft, inTop, inKeywords) {
  var x = inLeft + 10, y = inTop;
  draw("rect", "rect=" + [x, y, x + 60, y + 60] + " " + inKeywords);
  x += 70;
  draw("oval", "rect=" + [x, y, x + 60, y + 60] + " " + inKeywords);
  x += 70;
  draw("roundrect", "rect=" + [x, y, x + 60, y + 60] + " cornersize=24 " + inKeywords);
  x += 70;
  var star = [];
  for (var i = 0; i < 10; i++) {
    var r = i % 2 ? 12 : 30, a = Math.PI * (i / 5 - 0.5);
    star.push(Math.round(x + 30 + r * Math.cos(a)), Math.round(y + 30 + r * Math.sin(a)));
  }
  draw("polygon", "points=" + star + " " + inKeywords);
  x += 70;
  draw("line", "points=" + [x, y + 60, x + 15, y, x + 30, y + 60, x + 45, y, x + 60, y + 60] + " " + inKeywords);
}

var kRoads = [{ name: "GDI", left: 0, keywords: "" }, { name: "OpenGL", left: 380, keywords: "opengl=true" }];
for (var i = 0; i < kRoads.length; i++) {
  var road = kRoads[i];
  sheet.DrawText(road.name, "rect=" + [road.left, 8, road.left + 380, 40] + " halign=middle textsize=16 textstyle=bold");
  row(road.left, 50, "pencolor=#203080 paintcolor=#A0C0F0 pensize=3 " + road.keywords);
  row(road.left, 130, "op=draw pencolor=#C03020 pensize=7 " + road.keywords);
  row(road.left, 210, "op=paint paintcolor=pattern " + road.keywords);
  row(road.left, 290, "pencolor=#208040 paintcolor=pattern pensize=1 rotate=8," + (road.left + 190) + ",320 " +
      road.keywords);
}

// Text through GDI: a wrapped paragraph in a box, glyph outlines as shapes,
// and text along a curve.
var box = "rect=20,390,250,580";
draw("rect", box + " op=draw pencolor=#808080");
var paragraph = "Text is laid out in its rectangle: words wrap at its width, each line is placed by the " +
                "horizontal alignment and the block by the vertical one.";
line("TextArea " + sheet.TextArea(paragraph, box + " inset=8").result);
line("TextLength " + sheet.TextLength(paragraph, box + " inset=8").result + " of " + paragraph.length);
line("DrawText -> " + sheet.DrawText(paragraph, box + " inset=8 halign=middle valign=middle textcolor=#202020"));

draw("text", "rect=270,390,520,480 text=Outline textsize=40 op=draw pencolor=#6020A0 pensize=1");
draw("text", "rect=270,480,520,580 text=Pattern textsize=40 textstyle=bold op=paint paintcolor=pattern");

var arc = [];
for (var a = 200; a <= 340; a += 5) {
  var t = a * Math.PI / 180;
  arc.push(Math.round(640 + 100 * Math.cos(t)), Math.round(560 + 100 * Math.sin(t)));
}
draw("line", "points=" + arc + " op=draw pencolor=#C0C0C0");
line("DrawText -> " + sheet.DrawText("Along the points of a path", "points=" + arc + " halign=middle textcolor=#0060A0"));

line("GDI leaves alpha 0: " + sheet.GetColor("30,80") + "; OpenGL keeps the colour's: " + sheet.GetColor("410,80"));
line("image " + sheet.Image);
