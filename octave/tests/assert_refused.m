function assert_refused(call, message)
% Fails unless CALL() raises an error whose message ends with MESSAGE: Octave
% puts the function's name in front of what a MEX file refuses with.
  try
    call();
  catch err
    tail = err.message(max(1, end - numel(message) + 1):end);  % endsWith is Octave 7's
    if (! strcmp(tail, message))
      error('refused with "%s", expected a message ending "%s"', err.message, message);
    end
    return;
  end
  error('accepted; expected a refusal ending "%s"', message);
end
