// The pixels through their life: made by the second side, erased and
// inverted, resized, cleared.
function line(inText) { Response.Write(inText + "\n"); }

var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.PenSize = 3;
canvas.Width = 40;
line("width alone: image " + (canvas.Image != 0) + ", 0,0 " + canvas.GetColor("0,0"));
canvas.Height = 30;
line("then height: image " + (canvas.Image != 0) + ", 0,0 " + canvas.GetColor("0,0"));
canvas.Color = "#FF0000";
line("new colour, before erase: " + canvas.GetColor("39,29"));
canvas.Erase();
line("erased: " + canvas.GetColor("39,29"));
canvas.Invert();
line("inverted: " + canvas.GetColor("0,0"));
canvas.Dither = true;
line("dither " + canvas.Dither);
canvas.Width = 50;
line("resized: dither " + canvas.Dither + ", 45,0 " + canvas.GetColor("45,0"));
canvas.Clear();
line("cleared: " + canvas.Width + " " + canvas.Height + " " + canvas.Depth + " image " + canvas.Image + " pen " +
     canvas.PenSize + " dither " + canvas.Dither);
