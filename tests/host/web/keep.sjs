// Keeps a canvas in a global the first time a worker's context runs it; a
// context that saw an earlier page's global answers "seen".
Response.ContentType = "text/plain; charset=utf-8";
if (typeof kept !== "undefined") {
  Response.Write("seen " + kept.Width);
} else {
  kept = Server.CreateObject("Tessaline4.Canvas");
  kept.Width = 33;
  Response.Write("kept");
}
