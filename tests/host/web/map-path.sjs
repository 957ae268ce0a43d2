Response.ContentType = "text/plain";
Response.Write(Server.MapPath(Request.QueryString("file")));
