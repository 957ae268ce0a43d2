// Pictures drawn from bytes the page builds itself (a 64 x 48 BMP: red top
// left, green top right, blue bottom left, white bottom right) and from
// files that are not there.
function line(inText) { Response.Write(inText + "\n"); }

function quadrantBMP() {
  var width = 64, height = 48, row = width * 3, size = 54 + row * height;
  var bytes = new Uint8Array(size);
  function put(inAt, inValue, inCount) {
    for (var i = 0; i < inCount; ++i)
      bytes[inAt + i] = (inValue >>> (8 * i)) & 0xFF;
  }
  bytes[0] = 0x42; bytes[1] = 0x4D;
  put(2, size, 4); put(10, 54, 4); put(14, 40, 4);
  put(18, width, 4); put(22, -height, 4); put(26, 1, 2); put(28, 24, 2);
  for (var y = 0; y < height; ++y) {
    for (var x = 0; x < width; ++x) {
      var at = 54 + y * row + x * 3, right = x >= width / 2, top = y < height / 2;
      var red = top ? (right ? 0 : 255) : (right ? 255 : 0);
      var green = right ? 255 : 0;
      var blue = top ? 0 : 255;
      bytes[at] = blue; bytes[at + 1] = green; bytes[at + 2] = red;
    }
  }
  return bytes;
}

function attempt(inName, inCall) {
  try {
    line(inName + ": " + inCall());
  } catch (theError) {
    // The messages, and the context's first words (the canvas's handle varies).
    var parts = theError.description.split("\n\n\n");
    line(inName + ": " + theError.number + " " + JSON.stringify(parts[0]) + " in " +
         JSON.stringify(parts[1].split(" Canvas=")[0]));
  }
}

var picture = quadrantBMP();
var canvas = Server.CreateObject("Tessaline4.Canvas");
attempt("empty canvas", function () {
  return canvas.DrawData(picture, "bmp", "") + " size " + canvas.Width + "x" + canvas.Height;
});
canvas.Width = 128;
canvas.Height = 96;
canvas.Color = "#808080";
canvas.Erase();
attempt("rect", function () { return canvas.DrawData(picture, "", "rect=0,0,128,96"); });
line("quadrants " + canvas.GetColor("32,24") + " / " + canvas.GetColor("96,24") + " / " +
     canvas.GetColor("32,72") + " / " + canvas.GetColor("96,72"));
attempt("position", function () { return canvas.DrawData(picture, "", "x=20 y=30"); });
attempt("string", function () { return canvas.DrawData("not bytes", "", ""); });
attempt("missing file", function () { return canvas.DrawFile("/nonexistent/picture.png", ""); });
attempt("bad parameters", function () { return canvas.DrawFile("/nonexistent/picture.png", "rect=1,2"); });
