// A 4000 x 3000 picture made of shapes and text, saved as a JPEG: a sky of
// bands, a sun, two ranges of hills, a lake with the sun's reflection and a
// title.
//
//   tlscript examples/photo.js [out.jpg]      (photo.jpg by default)
//
// It prints the rectangle of each part it draws and the file it wrote.

function line(inText) { Response.Write(inText + "\n"); }

var out = args.length > 0 ? args[0] : "photo.jpg";
var kWidth = 4000, kHeight = 3000, kHorizon = 1900;

function hex(inRed, inGreen, inBlue) {
  function two(inValue) { return ("0" + Math.round(inValue).toString(16)).slice(-2); }
  return "#" + two(inRed) + two(inGreen) + two(inBlue);
}

var photo = Server.CreateObject("Tessaline4.Canvas");
photo.Width = kWidth;
photo.Height = kHeight;
photo.TextFont = "DejaVu Sans";

// The sky: 40 bands from deep blue at the top to pale orange at the horizon.
var kBands = 40;
for (var i = 0; i < kBands; i++) {
  var t = i / (kBands - 1);
  var top = Math.round(kHorizon * i / kBands), bottom = Math.round(kHorizon * (i + 1) / kBands);
  photo.DrawShape("rect", "rect=0," + top + "," + kWidth + "," + bottom + " op=paint paintcolor=" +
                  hex(40 + 215 * t, 70 + 130 * t, 160 - 40 * t));
}
line("sun " + photo.DrawShape("oval", "rect=2600,1250,3200,1850 op=paint paintcolor=#FFE070"));

// Hills: a far blue range and a near green one, as polygons over the horizon.
function range(inBase, inHeight, inPeaks, inColor) {
  var points = [0, kHorizon + 200];
  for (var x = 0; x <= kWidth; x += kWidth / (inPeaks * 2)) {
    var up = (x / (kWidth / (inPeaks * 2))) % 2 === 1;
    points.push(Math.round(x), inBase - (up ? inHeight : inHeight / 3));
  }
  points.push(kWidth, kHorizon + 200);
  return photo.DrawShape("polygon", "points=" + points + " op=paint paintcolor=" + inColor);
}
line("far hills " + range(kHorizon - 150, 450, 5, "#506890"));
line("near hills " + range(kHorizon + 50, 350, 3, "#2E5A30"));

line("lake " + photo.DrawShape("rect", "rect=0," + (kHorizon + 200) + "," + kWidth + "," + kHeight +
                               " op=paint paintcolor=#2A4A78"));
for (var r = 0; r < 12; r++) {
  var y = kHorizon + 260 + r * 60, half = 300 - r * 20;
  photo.DrawShape("rect", "rect=" + (2900 - half) + "," + y + "," + (2900 + half) + "," + (y + 18) +
                  " op=paint paintcolor=#E8C870");
}

line("title " + photo.DrawText("Evening on the lake", "rect=200,200,3800,600 textsize=160 textstyle=bold " +
                               "textcolor=#FFFFFF halign=left"));
line("credit " + photo.DrawText("Drawn with Tessaline 4", "rect=200,2700,2000,2900 textsize=60 " +
                                "textcolor=#D0D8E8 halign=left"));

photo.SaveAs(out, "quality=high");
line("saved " + out + " (" + photo.Width + " x " + photo.Height + ")");
