out vec4 o;void main(){o=vec4(texelFetch(TA,ivec2(gl_FragCoord.xy),0).rgb,1);}
