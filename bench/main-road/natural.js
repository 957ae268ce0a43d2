// The bench's page: args[0] drawn at its natural size onto a new canvas and
// saved as args[1] at the JPEG library's quality 75 ("quality" is a
// percentage of the 0..1024 scale: 56 % is 573, which the JPEG library reads
// as 75).
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.DrawFile(args[0], "");
canvas.SaveAs(args[1], "quality=56");
