// Answers 404 with a sentence, after some output of its own.
Response.Write("Looking... ");
Response.Status = "404 Not Found";
Response.Write("There is no such thing.");
