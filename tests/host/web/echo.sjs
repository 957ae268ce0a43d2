// What the request holds, one line each; "undefined" for what it lacks.
Response.ContentType = "text/plain; charset=utf-8";
Response.AddHeader("X-Page", "echo");
Response.Write("name=" + Request.QueryString("name") + "\n");
Response.Write("caption=" + Request.Form("caption") + "\n");
Response.Write("method=" + Request.ServerVariables("request_method") + "\n");
Response.Write("agent=" + Request.ServerVariables("HTTP_USER_AGENT") + "\n");
Response.Write("home=" + Request.ServerVariables("TESSALINE_HOME") + "\n");
