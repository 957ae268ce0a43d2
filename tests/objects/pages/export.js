// SaveAs and GetAs as a page uses them: the writer each name chooses, what
// the GIF options put in the file, and the failures; files go to args[0].
function line(inText) { Response.Write(inText + "\n"); }
// The messages and code sentences of a failure, without the context.
function outcome(inWhat, inCall) {
  try {
    inCall();
    line(inWhat + ": done");
  } catch (e) {
    var theText = e.description;
    theText = theText.substring(0, theText.search(/(Save|Get) As:/)).replace(/\s+$/, "");
    line(inWhat + ": " + e.number + " " + theText.replace(/[\r\n]+/g, " | "));
  }
}
function text(inBytes, inFrom, inTo) {
  var theText = "";
  for (var i = inFrom; i < inTo; ++i)
    theText += String.fromCharCode(inBytes[i]);
  return theText;
}
// Signature, table entries, interlace flag and transparent index (and its
// colour) of a GIF.
function describeGIF(inWhat, inBytes) {
  var theEntries = 1 << ((inBytes[10] & 7) + 1);
  var theNext = 13 + 3 * theEntries;
  var theIndex = "none";
  if (inBytes[theNext] == 0x21) {
    var theEntry = 13 + 3 * inBytes[theNext + 6];
    theIndex = inBytes[theNext + 6] + " (" + inBytes[theEntry] + "," + inBytes[theEntry + 1] + "," +
               inBytes[theEntry + 2] + ")";
    theNext += 8;
  }
  line(inWhat + ": " + text(inBytes, 0, 6) + " " + theEntries + " entries, interlace " +
       ((inBytes[theNext + 9] & 0x40) != 0) + ", transparent " + theIndex);
}

var folder = args[0];
var canvas = Server.CreateObject("Tessaline4.Canvas");
outcome("fresh canvas", function () { canvas.SaveAs(folder + "/fresh.gif", ""); });

// Red 4 x 3, then blue to the right and green below.
canvas.Color = "#FF0000";
canvas.Width = 4;
canvas.Height = 3;
canvas.Color = "#0000FF";
canvas.Width = 6;
canvas.Color = "#00FF00";
canvas.Height = 5;

outcome("blank path", function () { canvas.SaveAs("", ""); });
outcome("x.gif of type jpeg", function () { canvas.SaveAs(folder + "/x.gif", "type=jpeg"); });
outcome("type GIF Image", function () { canvas.SaveAs(folder + "/typed.dat", "type='GIF Image'"); });
outcome("jpg", function () { canvas.SaveAs(folder + "/photo.jpg", "quality=high"); });
outcome("jpg at 300 dpi", function () { canvas.SaveAs(folder + "/dpi.jpg", "hres=300 vres=300"); });
outcome("png with alpha", function () { canvas.SaveAs(folder + "/alpha.png", "alpha=1"); });
outcome("tiff", function () { canvas.SaveAs(folder + "/picture.tiff", ""); });
outcome("bmp", function () { canvas.SaveAs(folder + "/picture.bmp", ""); });
outcome("qqqz", function () { canvas.SaveAs(folder + "/picture.qqqz", ""); });
outcome("jpg into a missing folder", function () { canvas.SaveAs(folder + "/missing/a.jpg", ""); });
outcome("gif into a missing folder", function () { canvas.SaveAs(folder + "/missing/a.gif", ""); });
outcome("syntax error", function () { canvas.SaveAs(folder + "/unparsed.gif", "depth 16"); });
outcome("GetAs syntax error", function () { canvas.GetAs("gif", "depth 16"); });

describeGIF("gif", canvas.GetAs("gif", ""));
describeGIF("depth=16", canvas.GetAs("gif", "depth=16 dither=1"));
describeGIF("interlace=1", canvas.GetAs("image/gif", "interlace=1"));
describeGIF("corner point", canvas.GetAs("gif", "transparent=1000,1000"));
describeGIF("point and blue", canvas.GetAs("gif", "transparent=0,0 transparent=#0000FF"));
var jpeg = canvas.GetAs("jpeg", "");
line("jpeg: " + jpeg[0].toString(16) + " " + jpeg[1].toString(16));
var dot = Server.CreateObject("Tessaline4.Canvas");
dot.Width = 1;
dot.Height = 1;
line("1 x 1 jpeg: " + (dot.GetAs("jpg", "").length > 0));
