// Two images on one canvas, a shape over them, text along a path, saved as a
// GIF whose background colour is transparent.
//
//   tlscript examples/composite.js [in.jpg] [out.gif]   (composite.gif by default)
//
// The first image is the JPEG given (or, without one, a canvas of stripes
// this page paints); the second is a badge the page draws on a canvas of its
// own and puts over a corner of the first, turned by 15 degrees, through
// DrawCanvas (the kernels' warp, with smoothed edges).

function line(inText) { Response.Write(inText + "\n"); }

var out = args.length > 1 ? args[1] : "composite.gif";
var kKey = "#FF00FF";  // the background, transparent in the GIF

var card = Server.CreateObject("Tessaline4.Canvas");
card.Width = 640;
card.Height = 520;
card.Color = kKey;
card.Erase();
card.TextFont = "DejaVu Sans";

// The first image, framed: a photo when one is given, else stripes.
var picture = Server.CreateObject("Tessaline4.Canvas");
if (args.length > 0 && args[0] !== "") {
  picture.DrawFile(args[0], "rect=0,0,480,360 fit=true");
} else {
  picture.Width = 480;
  picture.Height = 360;
  for (var i = 0; i < 12; i++)
    picture.DrawShape("rect", "rect=" + i * 40 + ",0," + (i + 1) * 40 + ",360 op=paint paintcolor=" +
                      (i % 2 ? "#3070B0" : "#F0C040"));
}
line("picture " + card.DrawCanvas(picture.Image, "rect=40,40,520,400"));
line("frame " + card.DrawShape("rect", "rect=36,36,524,404 op=draw pencolor=#202020 pensize=4"));

// The second image: a round badge with a word, turned and placed over the first.
var badge = Server.CreateObject("Tessaline4.Canvas");
badge.Width = 200;
badge.Height = 200;
badge.Color = "#FFFFFF";
badge.Erase();
badge.DrawShape("oval", "rect=10,10,190,190 op=paint paintcolor=#C03030");
badge.DrawText("NEW", "rect=10,10,190,190 textsize=44 textstyle=bold textcolor=#FFFFFF halign=middle valign=middle");
line("badge " + card.DrawCanvas(badge.Image, "rect=430,110,580,260 rotate=15"));

// A caption along a wave below the images.
var wave = [];
for (var x = 20; x <= 620; x += 10)
  wave.push(x, Math.round(465 + 14 * Math.sin(x / 50)));
line("caption " + card.DrawText("Two images, one shape and a line of text", "points=" + wave +
                                " textsize=18 textcolor=#102040 halign=middle"));

card.SaveAs(out, "transparent=" + kKey);
line("saved " + out);
