// The bench's page: one 400 x 300 thumbnail of args[0] into args[1], at the
// JPEG library's quality 75 ("quality" is a percentage of the 0..1024 scale:
// 56 % is 573, which the JPEG library reads as 75).
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.DrawFile(args[0], "rect=0,0,400,300");
canvas.SaveAs(args[1], "quality=56");
