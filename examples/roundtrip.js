// A canvas out as bytes and back: GetAs in a format, then DrawData of those
// bytes onto a new canvas, which then holds the same pixels (exactly, for a
// lossless format).
//
//   tlscript examples/roundtrip.js [type]      (png by default; gif, jpeg, bmp ...)

function line(inText) { Response.Write(inText + "\n"); }

var type = args.length > 0 ? args[0] : "png";

var original = Server.CreateObject("Tessaline4.Canvas");
original.Width = 120;
original.Height = 80;
original.Color = "#F8F4E8";
original.Erase();
original.DrawShape("oval", "rect=10,10,70,70 op=paint paintcolor=#2060C0");
original.DrawShape("rect", "rect=60,30,110,70 op=paint paintcolor=#E04020");

var bytes = original.GetAs(type, "");
line(type + ": " + bytes.length + " bytes");

var copy = Server.CreateObject("Tessaline4.Canvas");
line("drawn " + copy.DrawData(bytes, type, "") + " size " + copy.Width + "x" + copy.Height);

var points = ["5,5", "40,40", "85,50", "115,75"], same = 0;
for (var i = 0; i < points.length; i++) {
  var before = original.GetColor(points[i]), after = copy.GetColor(points[i]);
  line(points[i] + ": " + before + (before === after ? " (same)" : " -> " + after));
  if (before === after)
    same++;
}
line(same + " of " + points.length + " points the same");
