Response.Status = Request.QueryString("status");
Response.Write("sent");
