// Sends the header X-Caption with the value of the form.
Response.AddHeader("X-Caption", Request.Form("value"));
Response.Write("sent");
