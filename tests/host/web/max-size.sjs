// The preference MaxSize as the page reads it now.
Response.ContentType = "text/plain; charset=utf-8";
Response.Write(String(Server.CreateObject("TLUtilities4.Settings").MaxSize));
