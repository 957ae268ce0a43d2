// The bench's page: args[1] rounds of args[0] filled 2 x 2 rectangles on a
// small canvas, or, with args[2] "empty", the same loops without the call.
// One shape is drawn first either way, so both pay for loading what shapes
// need. Prints the milliseconds the loops took.
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Width = 64;
canvas.Height = 64;
var shape = "rect=0,0,2,2 op=paint paintcolor=#C03030";
canvas.DrawShape("rect", shape);
var calls = parseInt(args[0], 10);
var rounds = parseInt(args[1], 10);
var draw = args[2] != "empty";
var start = new Date().getTime();
for (var r = 0; r < rounds; r++)
  for (var i = 0; i < calls; i++)
    if (draw)
      canvas.DrawShape("rect", shape);
Response.Write((new Date().getTime() - start) + "\n");
