function copy_tree(from, to)
% Copies the file or folder FROM to TO, byte by byte and through no shell: Octave's
% copyfile and pkg hand names to a shell inside double quotes, where $ and ` are its own,
% and the suites run from folders whose names hold them.
  if (exist(from, 'dir'))
    if (! exist(to, 'dir'))
      mkdir(to);
    end
    for entry = dir(from)'
      if (! any(strcmp(entry.name, {'.', '..'})))
        copy_tree(fullfile(from, entry.name), fullfile(to, entry.name));
      end
    end
    return;
  end
  in = fopen(from, 'r');
  assert(in >= 0, 'cannot read %s', from);
  bytes = fread(in, Inf, '*uint8');
  fclose(in);
  out = fopen(to, 'w');
  assert(out >= 0, 'cannot write %s', to);
  fwrite(out, bytes, 'uint8');
  fclose(out);
end
