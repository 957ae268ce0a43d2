undefinedFunction();
