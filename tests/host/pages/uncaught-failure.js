var thing = Server.CreateObject("TLTest.Thing");
Response.Write("before\n");
thing.Fail("Out of paper");
