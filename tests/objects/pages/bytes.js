// The same canvas saved as args[0] and got back as bytes, with the
// parameters args[1]: the bytes go to standard output.
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Color = "#FF0000";
canvas.Width = 4;
canvas.Height = 3;
canvas.Color = "#0000FF";
canvas.Width = 6;
canvas.Color = "#00FF00";
canvas.Height = 5;
canvas.SaveAs(args[0], args[1]);
Response.BinaryWrite(canvas.GetAs("gif", args[1]));
