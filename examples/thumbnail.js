// A 400 x 300 thumbnail of a large JPEG, with a caption, saved as a JPEG.
//
//   tlscript examples/thumbnail.js in.jpg [out.jpg]   (thumbnail.jpg by default)
//
// The picture keeps its proportions inside the 400 x 300 box and is centred
// on white; the JPEG library decodes a large file at 1/2, 1/4 or 1/8 of its
// size when the box is that much smaller.

function line(inText) { Response.Write(inText + "\n"); }

if (args.length < 1)
  throw new Error("usage: thumbnail.js in.jpg [out.jpg]");
var out = args.length > 1 ? args[1] : "thumbnail.jpg";

var thumb = Server.CreateObject("Tessaline4.Canvas");
thumb.Width = 400;
thumb.Height = 300;
thumb.Color = "#FFFFFF";
thumb.Erase();
thumb.TextFont = "DejaVu Sans";

var placed = thumb.DrawFile(args[0], "rect=0,0,400,300 fit=true halign=middle valign=middle");
line("picture " + placed);
var caption = args[0].replace(/^.*\//, "");
thumb.DrawShape("rect", "rect=0,270,400,300 op=paint paintcolor=#000000");
line("caption " + thumb.DrawText(caption, "rect=8,272,392,298 textsize=12 textcolor=#FFFFFF halign=left valign=middle"));
thumb.SaveAs(out, "");
line("saved " + out);
