// One road from a page to a file: the object member named by "road", given
// the path "file" as it stands (not mapped), both posted. Answers what it
// read and "ok".
var road = Request.Form("road");
var file = Request.Form("file");
var canvas = Server.CreateObject("Tessaline4.Canvas");
canvas.Width = 16;
canvas.Height = 8;
var gestalt = Server.CreateObject("Tessaline4.Gestalt");
var roads = {
  "DrawFile": function () { canvas.DrawFile(file, ""); },
  "SaveAs": function () { canvas.SaveAs(file, ""); },
  "Graphic.SetFile": function () { Server.CreateObject("Tessaline4.Graphic").SetFile(file); },
  "GraphicIPTC.SetFile": function () { Server.CreateObject("Tessaline4.GraphicIPTC").SetFile(file); },
  "Gestalt.Read": function () { Response.BinaryWrite(gestalt.Read(file)); },
  "Gestalt.Save": function () { gestalt.Save(file, new Uint8Array([111, 107, 10])); },
  "ReduceColors": function () { canvas.ReduceColors(file, 16, false); },
  "Settings.MaxSize": function () { Server.CreateObject("TLUtilities4.Settings").MaxSize = 50000; },
  "Gestalt.MaxSize": function () { gestalt.MaxSize = 50000; }
};
roads[road]();
Response.Write("ok");
