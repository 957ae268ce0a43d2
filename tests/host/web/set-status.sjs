// Answers the status asked for in the query string or the form.
var theStatus = Request.Form("status");
Response.Status = theStatus === undefined ? Request.QueryString("status") : theStatus;
Response.Write("sent");
