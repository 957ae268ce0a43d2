// The QuickTime version a Gestalt object of this page sees ("0.0.0": none).
Response.ContentType = "text/plain; charset=utf-8";
Response.Write(Server.CreateObject("Tessaline4.Gestalt").QuickTime);
