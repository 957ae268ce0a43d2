var thing = Server.CreateObject("TLTest.Nothing");
Response.Write("never");
