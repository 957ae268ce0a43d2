// The bench's page: Graphic.SetFile of args[0] with the default ReadImages,
// then every image's rectangle and depth, as a page that lists them would.
var graphic = Server.CreateObject("Tessaline4.Graphic");
graphic.SetFile(args[0]);
var text = graphic.Format + " " + graphic.Count;
for (var i = 1; i <= graphic.Count; i++)
  text += " " + graphic.Item(i).Rectangle + " " + graphic.Item(i).Depth;
Response.Write(text + "\n");
