// Keeps a canvas in a global, and a mark on a built-in prototype, the first
// time a worker's context runs it; a context that saw an earlier page's
// global or mark answers "seen".
Response.ContentType = "text/plain; charset=utf-8";
if (typeof kept !== "undefined") {
  Response.Write("seen " + kept.Width);
} else if ("".kept) {
  Response.Write("seen the mark");
} else {
  kept = Server.CreateObject("Tessaline4.Canvas");
  kept.Width = 33;
  String.prototype.kept = true;
  Response.Write("kept");
}
