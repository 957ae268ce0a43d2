// A canvas out as bytes and back: GetAs in a format, then DrawData of those
// bytes onto a new canvas, once on each road a picture can be placed by: the
// kernels' warp (IPLTransform on, the default) and the GDI copy
// (IPLTransform off). Every pixel of each copy, alpha included, is compared
// with the original's: a lossless format gives the same pixels on both
// roads, a lossy one says how far they moved.
//
//   tlscript examples/roundtrip.js [type]      (png by default; gif, jpeg, bmp ...)
//
// Switching IPLTransform needs the settings component and a store the page
// may write (else the page says the GDI road was not checked); the
// preference is put back as it was.

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

// The four channels of a colour text ("100.0,50.0,0.0,100.0"), in levels.
function levels(inColor) {
  var theParts = String(inColor).split(","), theLevels = [];
  for (var i = 0; i < theParts.length; i++)
    theLevels.push(Math.round(Number(theParts[i]) * 2.55));
  return theLevels;
}

// Draws the bytes onto a new canvas and says how its pixels compare.
function compare(inRoad) {
  var copy = Server.CreateObject("Tessaline4.Canvas");
  var rect = copy.DrawData(bytes, type, "");
  if (copy.Width !== original.Width || copy.Height !== original.Height) {
    line(inRoad + ": drawn " + rect + " at " + copy.Width + "x" + copy.Height + ", not the original's size");
    return;
  }
  var differ = 0, farthest = 0, total = original.Width * original.Height;
  for (var y = 0; y < original.Height; y++) {
    for (var x = 0; x < original.Width; x++) {
      var before = original.GetColor(x + "," + y), after = copy.GetColor(x + "," + y);
      if (before === after)
        continue;
      differ++;
      var a = levels(before), b = levels(after);
      for (var c = 0; c < a.length; c++)
        farthest = Math.max(farthest, Math.abs(a[c] - b[c]));
    }
  }
  if (differ === 0)
    line(inRoad + ": the same pixels (all " + total + ", alpha included)");
  else
    line(inRoad + ": " + differ + " of " + total + " pixels differ, by up to " + farthest + " levels");
}

compare("kernel road");
var settings = null, kept = true;
try {
  settings = Server.CreateObject("TLUtilities4.Settings");
  kept = settings.IPLTransform;
  settings.IPLTransform = false;
} catch (theError) {
  line("GDI road: not checked, IPLTransform cannot be switched here (" + theError.description + ")");
}
if (settings && !settings.IPLTransform) {
  try {
    compare("GDI road");
  } finally {
    settings.IPLTransform = kept;
  }
}
