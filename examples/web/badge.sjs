// badge.sjs?text=TEXT: a GIF badge whose white background is transparent.
var theText = Request.QueryString("text") || "Tessaline";
var theCanvas = Server.CreateObject("Tessaline4.Canvas");
theCanvas.Width = 240;
theCanvas.Height = 64;
theCanvas.Color = "white";
theCanvas.DrawShape("roundrect", "rect=4,4,236,60 cornersize=24 paintcolor=#2060C0 pencolor=#103060 pensize=3");
theCanvas.DrawText(theText, "rect=4,4,236,60 halign=middle valign=middle textcolor=white textsize=20 " +
                   "textstyle=bold textfont=\"DejaVu Sans\"");
Response.ContentType = "image/gif";
Response.BinaryWrite(theCanvas.GetAs("gif", "transparent=white"));
