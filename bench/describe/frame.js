// The bench's page: frame args[1] of args[0] drawn onto a new canvas.
var canvas = Server.CreateObject("Tessaline4.Canvas");
Response.Write(canvas.DrawFile(args[0], "image=" + args[1]) + "\n");
