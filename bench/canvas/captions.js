// 200 captions of 20-pixel DejaVu Sans on a white 1024 x 768 canvas, 8 columns
// of 25, each placed at its top left; prints the milliseconds the captions took.
// bench/canvas/run.sh runs it beside ImageMagick drawing the same captions.
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Width = 1024;
canvas.Height = 768;
canvas.TextFont = "DejaVu Sans";
canvas.TextSize = 15;  // points at 96 pixels per inch: 20 pixels to the em
var start = new Date().getTime();
for (var i = 0; i < 200; i++)
  canvas.DrawText("Caption " + i, "x=" + (i % 8) * 128 + " y=" + Math.floor(i / 8) * 30);
Response.Write((new Date().getTime() - start) + "\n");
