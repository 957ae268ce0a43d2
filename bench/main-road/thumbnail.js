// The bench's page: one 400 x 300 thumbnail of args[0] into args[1], at the
// JPEG library's quality 75 (564 on the quality scale).
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.DrawFile(args[0], "rect=0,0,400,300");
canvas.SaveAs(args[1], "quality=564");
