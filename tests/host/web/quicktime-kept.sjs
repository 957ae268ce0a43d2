// The QuickTime version a Gestalt object sees that the page keeps to its end,
// in a global that holds itself.
Response.ContentType = "text/plain; charset=utf-8";
var keep = {gestalt: Server.CreateObject("Tessaline4.Gestalt")};
keep.self = keep;
Response.Write(keep.gestalt.QuickTime);
