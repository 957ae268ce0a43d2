// The same page runs from the command line: name=value arguments are its
// query string, and the response's headers stay out of its output.
Response.ContentType = "text/plain";
Response.Status = "201 Created";
Response.AddHeader("X-Page", "query");
Response.Write(Request.QueryString("w") + "|" + Request.QueryString("caption") + "|" + Request.QueryString("none") +
               "|" + Request.Form("w") + "|" + Request.ServerVariables("REQUEST_METHOD") + "|" +
               Server.MapPath("thing.js"));
