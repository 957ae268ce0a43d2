// Sends the header X-Caption with the value asked for.
Response.AddHeader("X-Caption", Request.QueryString("value"));
Response.Write("sent");
