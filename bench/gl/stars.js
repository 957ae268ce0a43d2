// The bench's page: args[0] antialiased five-pointed stars (outer radius 20,
// inner 8, integer points) filled through OpenGL on a white args[1] x args[1]
// canvas, each at a place and in a colour of a fixed sequence that stars.py
// repeats; no picture is written. bench/gl/run.sh runs it beside stars.py.
var count = parseInt(args[0], 10);
var side = parseInt(args[1], 10);
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Width = side;
canvas.Height = side;
var seed = 1;
function next(inRange) {
  seed = (seed * 16807) % 2147483647;
  return seed % inRange;
}
for (var i = 0; i < count; i++) {
  var cx = 20 + next(side - 40), cy = 20 + next(side - 40);
  var colour = "#" + (0x1000000 + next(0x1000000)).toString(16).substring(1);
  var points = [];
  for (var k = 0; k < 10; k++) {
    var r = k % 2 ? 8 : 20, a = Math.PI * k / 5 - Math.PI / 2;
    points.push(Math.round(cx + r * Math.cos(a)), Math.round(cy + r * Math.sin(a)));
  }
  canvas.DrawShape("poly", "op=paint opengl=true paintcolor=" + colour + " points=" + points.join(","));
}
